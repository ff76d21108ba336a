out vec4 o;
vec3 S(float x,float y){vec2 ts=vec2(textureSize(TC,0));return texture(TC,min((gl_FragCoord.xy*.5+1.5*vec2(x,y))/ts,(PP.xy-1.)/ts)).rgb;}
void main(){
 o=vec4((4.*S(0.,0.)+2.*(S(-1.,0.)+S(1.,0.)+S(0.,-1.)+S(0.,1.))+S(-1.,-1.)+S(1.,-1.)+S(-1.,1.)+S(1.,1.))/16.,1);
}

out vec4 o;
// Level 1 reads the scene, clamped so a hot texel cannot flood the pyramid.
vec3 S(float x,float y){
 bool sc=PP.z<1.5;
 vec2 ts=vec2(sc?textureSize(TA,0):textureSize(TC,0)),uv=min((gl_FragCoord.xy*2.+vec2(x,y))/ts,(PP.xy-1.)/ts);
 return sc?min(texture(TA,uv).rgb,64.):texture(TC,uv).rgb;
}
void main(){
 o=vec4(.25*(.5*(S(-1.,-1.)+S(1.,-1.)+S(-1.,1.)+S(1.,1.))+.125*(S(-2.,-2.)+S(0.,-2.)+S(2.,-2.)+S(-2.,0.)
  +S(2.,0.)+S(-2.,2.)+S(0.,2.)+S(2.,2.))+.5*S(0.,0.)),1);
}

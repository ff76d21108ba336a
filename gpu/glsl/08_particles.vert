layout(std430,binding=0) buffer B0{vec4 P[];};
layout(std430,binding=2) buffer B2{vec4 Q[];};
out vec3 vc;
void main(){
 int id=gl_VertexID>>1;
 vec3 p=(gl_VertexID&1)==0?P[id].xyz:Q[id].xyz;
 vec3 ro,ta;float fl;camera(BAR,ro,ta,fl);
 vec3 a=transpose(cam(ro,ta,0.))*(p-ro);
 vc=vec3(.01);
 gl_Position=a.z<.05?vec4(2,2,2,1):vec4(a.xy/a.z*fl/vec2(ASPECT,1),0,1);
}
